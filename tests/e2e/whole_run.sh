# An unattended whole run checked from outside: the scenes are told apart on
# screenshots taken several times a second, their lengths measured on this
# script's clock, and the main scene's pace from the scroller, which moves one
# pixel per pass. Sourced after lib.sh; call whole_run ENV=VALUE...
now() { date +%s.%N; }

whole_run() {
  start_display 1280x720
  local t_start; t_start=$(now)
  start_intro "$@"
  : >"$WORK/timeline"
  local rate_t1= rate_s1= rate_done=
  while kill -0 "$APP_PID" 2>/dev/null; do
    local t; t=$(now)
    xwd -root -silent >"$WORK/poll.xwd" 2>/dev/null || break
    local scene; scene=$("$CHECK" classify "$WORK/poll.xwd")
    echo "$t $scene" >>"$WORK/timeline"
    # Pace: two readings of the scroller ten seconds apart, in the main scene.
    if [ "$scene" = main ] && [ -z "$rate_done" ]; then
      local t_shot; t_shot=$(now)
      xwd -root -silent >"$WORK/band.xwd"
      local t_after; t_after=$(now)
      local s; s=$("$CHECK" band "$WORK/band.xwd" || true)
      if [ "$s" != -1 ]; then
        local t_mid; t_mid=$(awk -v a="$t_shot" -v b="$t_after" 'BEGIN { printf "%.6f", (a + b) / 2 }')
        if [ -z "$rate_t1" ]; then
          rate_t1=$t_mid rate_s1=$s
        elif awk -v a="$t_mid" -v b="$rate_t1" 'BEGIN { exit !(a - b > 10) }'; then
          PASSES_PER_SECOND=$(awk -v s2="$s" -v s1="$rate_s1" -v t2="$t_mid" -v t1="$rate_t1" \
            'BEGIN { printf "%.2f", ((s2 - s1 + 6570) % 6570) / (t2 - t1) }')
          rate_done=1
        fi
      fi
    fi
    sleep 0.05
  done
  wait_intro
  T_EXIT=$(now)
  # First sighting of each scene.
  first() { awk -v s="$1" '$2 == s { print $1; exit }' "$WORK/timeline"; }
  T_TITLE=$(first title); T_CREDITS=$(first credits); T_MAIN=$(first main); T_END=$(first end)
  [ -n "$T_TITLE" ] && [ -n "$T_CREDITS" ] && [ -n "$T_MAIN" ] && [ -n "$T_END" ] ||
    fail "a scene was never seen: $(awk '{print $2}' "$WORK/timeline" | uniq | tr '\n' ' ')"
  # Each sighting is late by up to the gap since the poll before it.
  gap() { awk -v s="$1" '$2 == s { print $1 - prev; exit } { prev = $1 }' "$WORK/timeline"; }
  POLL=$(printf '%s\n' "$(gap title)" "$(gap credits)" "$(gap main)" "$(gap end)" | sort -g | tail -1)
  calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
  TITLE_S=$(calc "$T_CREDITS - $T_TITLE")
  CREDITS_S=$(calc "$T_MAIN - $T_CREDITS")
  CREDITS_TO_END_S=$(calc "$T_END - $T_CREDITS")
  END_S=$(calc "$T_EXIT - $T_END")
  printf 'title %.2f s, credits %.2f s (to the first main-scene frame), credits to end screen %.2f s, end screen %.2f s, sighting lag up to %.2f s, pace %s passes/s, exit %s\n' \
    "$TITLE_S" "$CREDITS_S" "$CREDITS_TO_END_S" "$END_S" "$POLL" "${PASSES_PER_SECOND:-?}" "$RC"
  within() { awk -v v="$1" -v lo="$2" -v hi="$3" -v p="$POLL" 'BEGIN { exit !(v >= lo - p && v <= hi + p) }'; }
  [ "$RC" = 0 ] || fail "exit status $RC"
  within "$TITLE_S" 5 6 || fail "title lasted $TITLE_S s"
  # The credits stay 6-7 s; the main scene's first frame follows at once.
  within "$CREDITS_S" 6 7.5 || fail "credits lasted $CREDITS_S s"
  within "$CREDITS_TO_END_S" 75 77 || fail "the main scene ended $CREDITS_TO_END_S s after the credits appeared"
  within "$END_S" 30 32.2 || fail "the end screen lasted $END_S s"
  [ -n "${PASSES_PER_SECOND:-}" ] || fail "the pace was not measured"
  awk -v r="$PASSES_PER_SECOND" 'BEGIN { exit !(r >= 70 && r <= 77) }' ||
    fail "the main scene ran $PASSES_PER_SECOND passes per second"
}
