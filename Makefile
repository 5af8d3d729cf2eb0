# Two commands for a fresh machine:
#   make demo   builds the program and runs it on a bundled example
#   make test   builds everything and runs every test
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
EXAMPLE ?= examples/transect100-pcnm.answers

.PHONY: all build demo test clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@dir=$$(mktemp -d); \
	cp examples/*.txt $$dir/ 2>/dev/null; \
	echo "== running ortelix in $$dir with $(EXAMPLE) on standard input"; \
	(cd $$dir && $(CURDIR)/$(BUILD)/src/main/ortelix < $(CURDIR)/$(EXAMPLE)); \
	for f in $$dir/*; do case $$(basename $$f) in sites*.txt) continue;; esac; \
	  echo; echo "== $$(basename $$f) (first 30 lines)"; head -n 30 $$f | cut -c1-120; done; \
	rm -rf $$dir

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
