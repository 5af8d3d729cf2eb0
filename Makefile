# Two commands for a fresh machine:
#   make demo   builds the program and runs it on a bundled example
#   make test   builds everything and runs every test
#   make python builds the Python module ortelix and installs it for
#               Debian's /usr/bin/python3
# Each first installs the Debian packages the machine lacks
# (scripts/ensure-packages).
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
EXAMPLE ?= examples/transect100-pcnm.answers

.PHONY: all build build-tests demo test python clean

all: build

build:
	scripts/ensure-packages build
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DORTELIX_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS)

build-tests:
	scripts/ensure-packages test
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DORTELIX_TESTS=ON -DORTELIX_PYTHON=ON
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@dir=$$(mktemp -d); \
	cp examples/*.txt $$dir/ 2>/dev/null; \
	echo "== running ortelix in $$dir with $(EXAMPLE) on standard input"; \
	(cd $$dir && $(CURDIR)/$(BUILD)/src/main/ortelix < $(CURDIR)/$(EXAMPLE)); \
	for f in $$dir/*; do case $$(basename $$f) in sites*.txt) continue;; esac; \
	  echo; echo "== $$(basename $$f) (first 30 lines)"; head -n 30 $$f | cut -c1-120; done; \
	rm -rf $$dir

test: build-tests
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# pip drives setup.py, which builds the module in $(BUILD) with CMake (the
# objects of the programs are reused) and packages it. Debian marks its
# python3 as externally managed, so that pip does not replace what apt
# installed: the package goes to /usr/local/lib/python3.X/dist-packages,
# which apt never touches, and --no-deps keeps pip away from apt's numpy;
# remove it with 'pip uninstall --break-system-packages ortelix'.
python:
	scripts/ensure-packages python
	ORTELIX_CMAKE_BUILD_DIR=$(CURDIR)/$(BUILD) /usr/bin/python3 -m pip install --no-build-isolation --no-index \
	  --no-deps --break-system-packages --root-user-action=ignore ./python
	cd / && /usr/bin/python3 -c 'import ortelix; print("ortelix", ortelix.__version__, "in", ortelix.__path__[0])'

clean:
	rm -rf $(BUILD)
