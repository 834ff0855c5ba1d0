# shellcheck shell=bash
# Shared by the scripts that build, package and try the self-contained Linux
# executable (tools/build-linux.sh, tools/make-release.sh, the bare-root tests).

# The oldest C library it runs on: the newest symbol version it asks for.
# A build that asks for a newer one fails instead of quietly raising it.
glibc_floor=2.34
# Where that floor is met first, for the texts that state it.
# shellcheck disable=SC2034  # read by the sourcing scripts
glibc_floor_systems="Ubuntu 22.04, Debian 12, Fedora 35, RHEL 9 or later"

# The architectures' names: uname's, Debian's, and the cross tools' prefix.
deb_arch() { case $1 in x86_64) echo amd64 ;; aarch64) echo arm64 ;; *) return 1 ;; esac; }
tool_prefix() { case $1 in x86_64) echo "" ;; aarch64) echo aarch64-linux-gnu- ;; *) return 1 ;; esac; }

# elf_arch EXE: the architecture EXE is built for (x86_64 or aarch64).
elf_arch() {
  case $(readelf -h "$1" | awk '/Machine:/ { $1 = ""; print }') in
    *X86-64*) echo x86_64 ;;
    *AArch64*) echo aarch64 ;;
    *) echo "unknown architecture of $1" >&2; return 1 ;;
  esac
}

# newest_glibc EXE: the newest GLIBC_ symbol version EXE asks for.
newest_glibc() {
  "$(tool_prefix "$(elf_arch "$1")")objdump" -T "$1" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' |
    sort -t. -k1,1n -k2,2n -k3,3n | tail -n1
}

# check_self_contained EXE: fails unless EXE needs only the C library's own
# objects and exactly the stated floor; says what it found.
check_self_contained() {
  local exe=$1 needed newest bad
  needed=$(readelf -d "$exe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | xargs)
  bad=$(tr ' ' '\n' <<<"$needed" | grep -Ev '^(libc\.so\.6|libm\.so\.6|ld-linux-(x86-64|aarch64)\.so\.[12])$' || true)
  [ -z "$bad" ] || { echo "$exe needs more than the C library: $bad" >&2; return 1; }
  newest=$(newest_glibc "$exe")
  [ "$newest" = "$glibc_floor" ] ||
    { echo "$exe asks for glibc $newest, the stated floor is $glibc_floor" >&2; return 1; }
  echo "$(basename "$exe") ($(elf_arch "$exe")): needs $needed; glibc $newest or later"
}
