# Two commands for a fresh machine:
#   make run   - build (Release) and run the bundled example job
#   make test  - build and run every test through CTest
BUILD ?= build
JOBS ?= 2
EXAMPLE ?= examples/si222_cu

.PHONY: all build run test clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(dir $(EXAMPLE)) && ../$(BUILD)/korva < $(notdir $(EXAMPLE)).job > $(notdir $(EXAMPLE)).lis; \
	  status=$$?; cat $(notdir $(EXAMPLE)).lis; exit $$status

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
