# shellcheck shell=bash
# Sourced: load_facts BUILD_DIR sets FACT_NAME for every fact tapehiss-facts
# prints (screen and picture sizes, glyph order, scene lengths, credits...),
# building the tool in BUILD_DIR first when it is not there.
load_facts() {
  local build=$1 tool=$1/tools/tapehiss-facts name value
  [ -x "$tool" ] || cmake --build "$build" --target tapehiss-facts >/dev/null
  while IFS='=' read -r name value; do
    printf -v "FACT_$name" '%s' "$value"
  done < <("$tool")
}
