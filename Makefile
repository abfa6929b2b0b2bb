# The two commands of README.md, and the longer jobs beside them.
.PHONY: demo test build clean

demo:
	@./scripts/demo.sh

test:
	@./scripts/test.sh

build:
	@./scripts/build.sh

clean:
	rm -rf build
