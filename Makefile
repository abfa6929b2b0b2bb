# The two commands of README.md, and the longer jobs beside them.
.PHONY: demo test build dist fuzz soak bench clean

# How long `make fuzz` fuzzes the timer command parser, in seconds.
FUZZ_SECONDS ?= 600

demo:
	@./scripts/demo.sh

test:
	@./scripts/test.sh

build:
	@./scripts/build.sh

dist:
	@./scripts/dist.sh

fuzz:
	@./scripts/fuzz.sh $(FUZZ_SECONDS)

soak:
	@./scripts/soak.sh

bench:
	@./scripts/bench.sh

clean:
	rm -rf build dist
