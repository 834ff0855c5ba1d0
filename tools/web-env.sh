# shellcheck shell=bash disable=SC2034
# (WEB_TOOLCHAIN, WEB_ARCH and WEB_CFLAGS are for the sourcing scripts.)
# The emscripten set-up shared by tools/build-web.sh and tools/test-web.sh.
# Debian's emcc runs its own scripts with the machine's node, which finds
# Debian's node modules only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs
WEB_TOOLCHAIN=$(em-config EMSCRIPTEN_ROOT)/cmake/Modules/Platform/Emscripten.cmake
# WebAssembly SIMD (every current browser): the plain passes and the canvas
# copy vectorise. The libraries are built at -O2, the show as CMake's Release.
WEB_ARCH=-msimd128
WEB_CFLAGS=(-O2 "$WEB_ARCH")
# node as emcc's output wants it: its own fetch would take the .wasm path for a URL.
web_node() { node --no-experimental-fetch "$@"; }

# web_test_deps DIR: puppeteer-core exactly as tests/web/package-lock.json has
# it, installed with npm into DIR (once per lock file), beside the test driver.
web_test_deps() {
  local dir=$1
  mkdir -p "$dir"
  if ! cmp -s tests/web/package-lock.json "$dir/package-lock.json" || [ ! -d "$dir/node_modules/puppeteer-core" ]; then
    cp tests/web/package.json tests/web/package-lock.json "$dir/"
    (cd "$dir" && npm ci --no-audit --no-fund --ignore-scripts >/dev/null)
  fi
  cp tests/web/show.mjs "$dir/"
}
