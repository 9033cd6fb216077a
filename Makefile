# Set-up commands: `make demo` and `make test`. See README.md.
VST_DIR ?= $(HOME)/.vst
JOBS ?= $(shell nproc)
RELEASE := build/release
ASAN := build/asan
TSAN := build/tsan

.PHONY: demo test deps build build-asan build-tsan bench install clean

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELEASE) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DGLOWRASP_SANITIZE=ON -DGLOWRASP_BENCH=OFF
	cmake --build $(ASAN) -j $(JOBS)

# ThreadSanitizer: only the library and the thread stress test.
build-tsan: deps
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLOWRASP_TSAN=ON \
	  -DGLOWRASP_BENCH=OFF -DGLOWRASP_TOOLS=OFF
	cmake --build $(TSAN) --target stress_tests -j $(JOBS)

test: build build-asan build-tsan
	cd $(RELEASE) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1 $(TSAN)/tests/stress_tests

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
