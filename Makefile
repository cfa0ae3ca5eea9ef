# Top-level driver: `make run` builds the program and runs it on the shipped
# example; `make test` builds the program and every test and runs the tests.
# Each first installs what it needs when that is missing (tools/install_deps.sh).
BUILD    ?= build
RUN_DIR  ?= run
JOBS     ?= $(shell nproc 2>/dev/null || echo 4)
CMAKE_FLAGS ?=

.PHONY: all configure build run test bench clean

all: build

# Configuring again each time is cheap, and it picks up tools installed since
# the last run (GoogleTest for a build folder first made by `make run`).
configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The run happens in $(RUN_DIR)/: it holds master_nml, the report (report.txt),
# the error file master_error and the snapshot vorn_geometry.mat.
run:
	tools/install_deps.sh build
	$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j $(JOBS) --target vorn_create_geo
	mkdir -p $(RUN_DIR)
	cp examples/master_nml $(RUN_DIR)/master_nml
	cd $(RUN_DIR) && ../$(BUILD)/vorn_create_geo > report.txt
	@echo "Outputs in $(RUN_DIR)/: report.txt ($$(wc -l < $(RUN_DIR)/report.txt) lines), vorn_geometry.mat, master_error"
	@tail -n 1 $(RUN_DIR)/report.txt

test:
	tools/install_deps.sh test
	$(MAKE) --no-print-directory build
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -j $(JOBS)

bench:
	tools/install_deps.sh ci
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DVORN_BENCH=ON -DVORN_TESTS=OFF
	cmake --build $(BUILD)-bench -j $(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(RUN_DIR)
