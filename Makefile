# Top-level driver: `make run` builds and runs the program on the shipped example,
# `make test` builds and runs every test.
BUILD    ?= build
RUN_DIR  ?= run
JOBS     ?= $(shell nproc 2>/dev/null || echo 4)
CMAKE_FLAGS ?=

.PHONY: all build run test bench clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The run happens in $(RUN_DIR)/: it holds master_nml, the report (report.txt),
# the error file master_error and the snapshot vorn_geometry.mat.
run: build
	mkdir -p $(RUN_DIR)
	cp examples/master_nml $(RUN_DIR)/master_nml
	cd $(RUN_DIR) && ../$(BUILD)/vorn_create_geo > report.txt
	@echo "Outputs in $(RUN_DIR)/: report.txt ($$(wc -l < $(RUN_DIR)/report.txt) lines), vorn_geometry.mat, master_error"
	@tail -n 1 $(RUN_DIR)/report.txt

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench:
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DVORN_BENCH=ON -DVORN_TESTS=OFF
	cmake --build $(BUILD)-bench -j $(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(RUN_DIR)
