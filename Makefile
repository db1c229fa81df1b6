# The two commands: `make run` and `make test` (see README.md).
.PHONY: run test build deps bench format

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B build -G Ninja >/dev/null
	@cmake --build build -j $$(nproc)

run: build
	@bash scripts/run.sh

test: deps
	@bash scripts/test.sh

bench: build
	@bash scripts/bench.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i
