#!/usr/bin/env bash
# Checks that the tracked C++ sources follow .clang-format; with --fix,
# formats them in place instead. Lists every file that is off and exits
# non-zero if there is one. Run from anywhere in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."

fix=false
case "${1:-}" in
  --fix) fix=true ;;
  "") ;;
  *) echo "usage: $0 [--fix]" >&2; exit 2 ;;
esac

command -v clang-format >/dev/null 2>&1 \
  || { echo "clang-format is missing (Debian package clang-format)" >&2; exit 1; }

# Every C++ source git knows of; the build trees are not tracked, and the
# repository holds no third-party sources.
mapfile -t files < <(git ls-files -- '*.cpp' '*.h' '*.hpp' '*.cc')
[ ${#files[@]} -gt 0 ] || { echo "no C++ sources found" >&2; exit 1; }

if $fix; then
  clang-format -i --style=file -- "${files[@]}"
  exit 0
fi

# One run over every file; it names each line that is off, and the list
# below names each file once.
if ! report=$(clang-format --dry-run --Werror --style=file -- "${files[@]}" 2>&1); then
  mapfile -t off < <(sed -nE 's/^([^:]+):[0-9]+:[0-9]+: error: .*/\1/p' <<<"$report" | sort -u)
  [ ${#off[@]} -gt 0 ] || { echo "$report" >&2; exit 1; }
  printf 'not formatted: %s\n' "${off[@]}" >&2
  echo "${#off[@]} of ${#files[@]} files do not follow .clang-format; $0 --fix formats them" >&2
  exit 1
fi
