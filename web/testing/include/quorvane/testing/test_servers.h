// Everything of the test-server library in one include.
#pragma once

#include "quorvane/testing/loopback.h"
#include "quorvane/testing/nginx_server.h"
#include "quorvane/testing/raw_server.h"
#include "quorvane/testing/received_request.h"
#include "quorvane/testing/server_environments.h"
#include "quorvane/testing/tiny_proxy.h"
