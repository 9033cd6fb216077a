# Set-up commands: `make demo` and `make test`. See README.md.
VST_DIR ?= $(HOME)/.vst
LV2_DIR ?= $(HOME)/.lv2
VST3_DIR ?= $(HOME)/.vst3
CLAP_DIR ?= $(HOME)/.clap
JOBS ?= $(shell nproc)
RELEASE := build/release
ASAN := build/asan
TSAN := build/tsan
STRICT := build/strict
WIN32_BUILD := build/win32
WIN64_BUILD := build/win64
MINGW_LIBJPEG := build/mingw-libjpeg

.PHONY: demo test deps build build-asan build-tsan build-strict lint bench install clean \
	deps-windows windows build-windows-tests test-windows fuzz dist test-dist

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELEASE) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DGLOWRASP_SANITIZE=ON -DGLOWRASP_BENCH=OFF
	cmake --build $(ASAN) -j $(JOBS)

# ThreadSanitizer: the thread stress test, the renderer with the plug-in, and
# the CLAP plug-in's two threads.
build-tsan: deps
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLOWRASP_TSAN=ON \
	  -DGLOWRASP_BENCH=OFF -DGLOWRASP_TOOLS=ON
	cmake --build $(TSAN) --target stress_tests glowrasp-render clap_tests -j $(JOBS)

# Every source under the stricter warnings, each an error; built, not run
# again: the tests run in the builds above.
build-strict: deps
	cmake -S . -B $(STRICT) -DCMAKE_BUILD_TYPE=Debug -DGLOWRASP_STRICT=ON
	cmake --build $(STRICT) -j $(JOBS)

# The layering check, and clang-tidy over src/ with the release build's commands.
lint: build
	bash scripts/check-layers.sh
	bash scripts/lint.sh $(RELEASE)

test: build build-asan build-tsan build-strict lint
	cd $(RELEASE) && ctest --output-on-failure --timeout 600 -j $(JOBS)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure --timeout 600 -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1 timeout 600 $(TSAN)/tests/stress_tests
	TSAN_OPTIONS=halt_on_error=1 timeout 600 $(TSAN)/tests/clap/clap_tests --gtest_filter='ClapThreads.*'
	timeout 600 bash scripts/tsan-render.sh $(TSAN)
	$(MAKE) test-windows
	$(MAKE) test-dist

# The host-level fuzzer on the sanitizer build for as long as asked; a new
# seed each run unless FUZZ_SEED is given. `make test` runs it for a minute.
FUZZ_SECONDS ?= 600
FUZZ_SEED ?= $(shell date +%s)
fuzz: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DGLOWRASP_SANITIZE=ON -DGLOWRASP_BENCH=OFF
	cmake --build $(ASAN) --target glowrasp-fuzz -j $(JOBS)
	env -u DISPLAY ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  $(ASAN)/tests/fuzz/glowrasp-fuzz --plugin $(ASAN)/KestruneGlowrasp.so \
	  --seconds $(FUZZ_SECONDS) --seed $(FUZZ_SEED)

# Windows: both DLLs cross-built with MinGW-w64, tested under Wine.
# Debian ships no MinGW libjpeg: it is cross-built from Debian's source package
# into the build folder, where the Windows configurations find it.
deps-windows:
	@bash scripts/install-windows-deps.sh
	@bash scripts/build-libjpeg-mingw.sh cmake/toolchain-mingw-i686.cmake $(MINGW_LIBJPEG)/i686 build/deb-src
	@bash scripts/build-libjpeg-mingw.sh cmake/toolchain-mingw-x86_64.cmake $(MINGW_LIBJPEG)/x86_64 \
	  build/deb-src

windows: deps-windows
	cmake -S . -B $(WIN32_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
	  -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN32_BUILD) --target KestruneGlowrasp KestruneGlowrasp_vst3 -j $(JOBS)
	cmake -S . -B $(WIN64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN64_BUILD) --target KestruneGlowrasp KestruneGlowrasp_vst3 KestruneGlowrasp_clap \
	  -j $(JOBS)
	install -D -m 0644 $(WIN32_BUILD)/KestruneGlowrasp.dll dist/win32/KestruneGlowrasp.dll
	install -D -m 0644 $(WIN64_BUILD)/KestruneGlowrasp.dll dist/win64/KestruneGlowrasp.dll
	install -D -m 0644 $(WIN64_BUILD)/clap/KestruneGlowrasp.clap dist/win64/KestruneGlowrasp.clap
	@echo "dist/win32/KestruneGlowrasp.dll dist/win64/KestruneGlowrasp.dll dist/win64/KestruneGlowrasp.clap"

build-windows-tests: windows
	cmake --build $(WIN32_BUILD) -j $(JOBS)
	cmake --build $(WIN64_BUILD) -j $(JOBS)

# Needs the Linux library and its fingerprint tool from `make build`.
test-windows: build build-windows-tests
	bash tests/windows/run-tests.sh $(RELEASE) $(WIN32_BUILD) $(WIN64_BUILD)

# Release packages: the Debian package, the Linux and Windows archives and
# SHA256SUMS in dist/, from fresh builds in build/dist (scripts/dist.sh).
dist: deps deps-windows
	JOBS=$(JOBS) bash scripts/dist.sh dist build/dist

# Builds the release packages twice, at two build paths, checks that they are
# the same bytes, and checks the Debian package's files, fields and dependencies.
test-dist: deps deps-windows
	JOBS=$(JOBS) bash tests/dist/run-tests.sh build/test-dist

LV2_BUNDLE := KestruneGlowrasp.lv2
VST3_BUNDLE := KestruneGlowrasp.vst3

install: build
	mkdir -p "$(VST_DIR)"
	install -m 0755 $(RELEASE)/KestruneGlowrasp.so "$(VST_DIR)/KestruneGlowrasp.so"
	@echo "installed $(VST_DIR)/KestruneGlowrasp.so"
	install -d "$(LV2_DIR)/$(LV2_BUNDLE)"
	install -m 0644 $(RELEASE)/lv2/$(LV2_BUNDLE)/manifest.ttl \
	  $(RELEASE)/lv2/$(LV2_BUNDLE)/KestruneGlowrasp.ttl "$(LV2_DIR)/$(LV2_BUNDLE)/"
	install -m 0755 $(RELEASE)/lv2/$(LV2_BUNDLE)/KestruneGlowrasp_dsp.so \
	  $(RELEASE)/lv2/$(LV2_BUNDLE)/KestruneGlowrasp_ui.so "$(LV2_DIR)/$(LV2_BUNDLE)/"
	@echo "installed $(LV2_DIR)/$(LV2_BUNDLE)"
	install -D -m 0755 $(RELEASE)/vst3/$(VST3_BUNDLE)/Contents/x86_64-linux/KestruneGlowrasp.so \
	  "$(VST3_DIR)/$(VST3_BUNDLE)/Contents/x86_64-linux/KestruneGlowrasp.so"
	install -D -m 0644 $(RELEASE)/vst3/$(VST3_BUNDLE)/Contents/Resources/moduleinfo.json \
	  "$(VST3_DIR)/$(VST3_BUNDLE)/Contents/Resources/moduleinfo.json"
	@echo "installed $(VST3_DIR)/$(VST3_BUNDLE)"
	mkdir -p "$(CLAP_DIR)"
	install -m 0755 $(RELEASE)/clap/KestruneGlowrasp.clap "$(CLAP_DIR)/KestruneGlowrasp.clap"
	@echo "installed $(CLAP_DIR)/KestruneGlowrasp.clap"

demo: install
	bash scripts/demo.sh $(RELEASE) demo-out
	@echo "VST 2 plug-in: $(VST_DIR)/KestruneGlowrasp.so"
	@echo "LV2 bundle:    $(LV2_DIR)/$(LV2_BUNDLE) (urn:kestrune:glowrasp)"
	@echo "VST3 bundle:   $(VST3_DIR)/$(VST3_BUNDLE)"
	@echo "CLAP plug-in:  $(CLAP_DIR)/KestruneGlowrasp.clap (com.kestrune.glowrasp)"

bench: build
	$(RELEASE)/bench/glowrasp_bench
	$(RELEASE)/bench/glowrasp_automation_bench
	$(RELEASE)/bench/glowrasp_instance_bench $(RELEASE)/KestruneGlowrasp.so
	bash bench/render-vs-sox.sh $(RELEASE)/tools/glowrasp-render $(RELEASE)/KestruneGlowrasp.so

clean:
	rm -rf build dist demo-out
