# Set-up commands: `make demo` and `make test`. See README.md.
VST_DIR ?= $(HOME)/.vst
JOBS ?= $(shell nproc)
RELEASE := build/release
ASAN := build/asan

.PHONY: demo test deps build build-asan bench install clean

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELEASE) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DGLOWRASP_SANITIZE=ON -DGLOWRASP_BENCH=OFF
	cmake --build $(ASAN) -j $(JOBS)

test: build build-asan
	cd $(RELEASE) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

install: build
	mkdir -p "$(VST_DIR)"
	install -m 0755 $(RELEASE)/KestruneGlowrasp.so "$(VST_DIR)/KestruneGlowrasp.so"
	@echo "installed $(VST_DIR)/KestruneGlowrasp.so"

demo: install
	bash scripts/demo.sh $(RELEASE) demo-out

bench: build
	$(RELEASE)/bench/glowrasp_bench

clean:
	rm -rf build dist demo-out
