# The two commands of README.md, and the longer jobs beside them.
.PHONY: help demo test build dist fuzz soak bench bench-doc clean

# How long `make fuzz` fuzzes the timer command parser, in seconds.
FUZZ_SECONDS ?= 600

help:
	@echo "make demo       set up what is missing, build, and deliver the built-in example job twice"
	@echo "make test       set up, build, run every test but the soak's on each tree Wine runs, fuzz 30 s"
	@echo "make build      build both architectures (build/i686, build/x86_64)"
	@echo "make dist       the release archives and SHA256SUMS under dist/"
	@echo "make fuzz       fuzz the timer command parser for FUZZ_SECONDS (default $(FUZZ_SECONDS) s)"
	@echo "make soak       the long reliability runs (about 70 minutes)"
	@echo "make bench      time Tickward against its floor; the figures go to build/<arch>/performance.md"
	@echo "make bench-doc  make bench, and put the figures into docs/performance.md"
	@echo "make clean      remove build/ and dist/"

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

bench-doc:
	@./scripts/bench.sh --doc

clean:
	rm -rf build dist
