#!/usr/bin/env bash
# Builds the libFuzzer target for parseBuffer with clang under ASan and
# UBSan into build-fuzz/ (outside the normal build, which stays gcc).
#   tests/fuzz/build.sh && build-fuzz/xml_parse_fuzzer -max_total_time=1800 work/ tests/fuzz/corpus
set -euo pipefail
cd "$(dirname "$0")/../.."
mkdir -p build-fuzz
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I. -Itests/fuzz tests/fuzz/xml_parse_fuzzer.cpp tests/fuzz/parse_checks.cpp xml/*.cpp \
  -o build-fuzz/xml_parse_fuzzer
