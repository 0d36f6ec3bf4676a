#pragma once
// A stand-in for NetworkManager's nmcli for the dial-up tests: connections and behaviour come
// from files in its folder ("entries", "active", "up": ok, fail or hang), every call is logged
// in "calls".

namespace kivo::test {

inline constexpr const char* kFakeNmcli = R"(#!/bin/sh
dir=$(dirname "$0")
echo "$*" >> "$dir/calls"
case "$*" in
  "-t -f NAME,TYPE connection show") cat "$dir/entries" ;;
  "-t -f NAME,STATE connection show --active") cat "$dir/active" 2>/dev/null ;;
  *"connection up id "*)
    case $(cat "$dir/up") in
      ok) echo "$6:activated" >> "$dir/active"
          echo "Connection successfully activated" ;;
      fail) echo "Error: Connection activation failed: No carrier"; exit 4 ;;
      hang) exec sleep 30 ;;
    esac ;;
  *"connection down id "*) : > "$dir/active" ;;
esac
exit 0
)";

}  // namespace kivo::test
