# shellcheck shell=bash
# An unattended whole run checked from outside: the scenes are told apart on
# screenshots taken several times a second, their lengths measured on this
# script's clock, the main scene's pace from the scroller (it moves one pixel
# per pass) between its first and last readings, and the processor time the
# intro uses in each scene from /proc. Sourced after lib.sh; call
#   whole_run ENV=VALUE...
# with, optionally, RUN_SIZE=WxH (1280x720), RUN_WM=1 (openbox makes the window
# full screen), RUN_HOGS=N (N processes that keep a core busy meanwhile),
# RUN_WAY=xwayland|wayland (the intro on weston nested in the Xvfb, through
# Xwayland or as a Wayland client; compositor.sh sourced), RUN_PACE_BOUND=0
# (the pace is printed, not bounded).
now() { date +%s.%N; }
source "$SRC/tools/facts.sh"
load_facts "$BUILD"

# calc EXPR [FORMAT]: EXPR worked out by awk, printed with FORMAT (%.3f).
calc() { awk "BEGIN { printf \"${2:-%.3f}\", $1 }"; }

# Processor time of a process so far, in clock ticks (user + system).
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/${1:-$APP_PID}/stat" 2>/dev/null || echo -; }

# What else the machine did, read at either end of the measured middle: the
# time the host took from this machine's processors (steal: a guest's
# processors stand still while the host runs others) and the whole, both in
# clock ticks, and the display server's processor ticks (it copies every
# presented frame, and a present waits for it).
machine_reading() {
  local server=${XVFB_PID:-}
  [ -z "${RUN_WAY:-}" ] || server=${COMPOSITOR_PID:-}
  echo "$(awk '$1 == "cpu" { t = 0; for (i = 2; i <= 9; i++) t += $i; print $9, t; exit }' /proc/stat) $(cpu_ticks "$server")"
}

whole_run() {
  if [ -n "${RUN_WAY:-}" ]; then
    start_weston "${RUN_SIZE:-1280x720}"
  else
    start_display "${RUN_SIZE:-1280x720}"
  fi
  local hog_pids=()
  [ "${RUN_WM:-0}" != 1 ] || start_window_manager
  for _ in $(seq "${RUN_HOGS:-0}"); do
    timeout 300 sh -c 'while :; do :; done' &
    hog_pids+=($!)
  done
  # A screenshot of a large display costs the machine far more than one of
  # 1280 x 720 (copying, reading, unscaling): look less often there, so the
  # checking does not take the processors the intro needs.
  local pause=0.05 quiet_done='' probe_pid=''
  [ "${RUN_SIZE:-1280x720}" = 1280x720 ] || pause=1.5
  if [ -n "${RUN_WAY:-}" ]; then start_intro_on "$RUN_WAY" "$@"; else start_intro "$@"; fi
  : >"$WORK/timeline"
  CHECK_FAILED=
  local checked=" "
  while kill -0 "$APP_PID" 2>/dev/null; do
    local t; t=$(now)
    local ticks; ticks=$(cpu_ticks)
    xwd -root -silent >"$WORK/poll.xwd" 2>/dev/null || break
    local t_after; t_after=$(now)
    local scene band
    read -r scene band < <("$CHECK" poll "$WORK/poll.xwd")
    # Once the scroller has been read in the main scene, the middle of the
    # scene is left alone, and the next reading closes the measurement: the
    # pace and the main scene's processor use are taken between those two
    # readings only, undisturbed by screenshots (a screenshot of a large
    # display holds the X server long enough to delay a present).
    local mark=-
    if [ "$scene" = main ] && [ "$band" -ge 0 ]; then
      case "$quiet_done" in
        "") quiet_done=started; mark=quiet-start ;;
        started) quiet_done=finished; mark=quiet-end ;;
      esac
    fi
    # Mid-time of the screenshot, the scene it shows, the scroller offset,
    # the reading time, the intro's processor ticks then, and the mark.
    echo "$(awk -v a="$t" -v b="$t_after" 'BEGIN { printf "%.6f", (a + b) / 2 }') $scene $band $t $ticks $mark" >>"$WORK/timeline"
    # The first screenshot of each still scene is checked pixel for pixel.
    case "$scene" in
      title | credits | end)
        if [[ "$checked" != *" $scene "* ]]; then
          checked+="$scene "
          cp "$WORK/poll.xwd" "$WORK/$scene.xwd"
          "$CHECK" "$scene" "$WORK/$scene.xwd" >>"$WORK/checks.log" 2>&1 || CHECK_FAILED+="$scene "
        fi ;;
    esac
    case "$mark" in
      quiet-start)
        machine_reading >"$WORK/machine.start"
        # Beside the intro, a probe naps as a paced program does: on a
        # machine that wakes programs late it sees that too.
        /usr/bin/python3 "$SRC/tests/e2e/wake_probe.py" 48 >"$WORK/probe" &
        probe_pid=$!
        sleep 50 ;;
      quiet-end) machine_reading >"$WORK/machine.end" ;;
    esac
    sleep "$pause"
  done
  wait_intro
  T_EXIT=$(now)
  [ -z "$probe_pid" ] || wait "$probe_pid" || true
  [ ${#hog_pids[@]} -eq 0 ] || kill "${hog_pids[@]}" 2>/dev/null || true
  stop_window_manager
  cat "$WORK/checks.log" 2>/dev/null || true
  [ -z "${CHECK_FAILED:-}" ] || fail "screenshots differ from the pictures drawn in memory: $CHECK_FAILED"
  # First sighting of each scene.
  first() { awk -v s="$1" '$2 == s { print $1; exit }' "$WORK/timeline"; }
  T_TITLE=$(first title); T_CREDITS=$(first credits); T_MAIN=$(first main); T_END=$(first end)
  [ -n "$T_TITLE" ] && [ -n "$T_CREDITS" ] && [ -n "$T_MAIN" ] && [ -n "$T_END" ] ||
    fail "a scene was never seen: $(awk '{print $2}' "$WORK/timeline" | uniq | tr '\n' ' ')"
  # Each sighting is late by up to the gap since the poll before it.
  gap() { awk -v s="$1" '$2 == s { print $1 - prev; exit } { prev = $1 }' "$WORK/timeline"; }
  POLL=$(printf '%s\n' "$(gap title)" "$(gap credits)" "$(gap main)" "$(gap end)" | sort -g | tail -1)
  TITLE_S=$(calc "$T_CREDITS - $T_TITLE")
  CREDITS_S=$(calc "$T_MAIN - $T_CREDITS")
  CREDITS_TO_END_S=$(calc "$T_END - $T_CREDITS")
  END_S=$(calc "$T_EXIT - $T_END")
  # Pace: scroller offsets of the two readings around the main scene's quiet
  # middle (the scene is shorter than one lap of the strip).
  local quiet_s=''
  QUIET_PASSES=0
  read -r QUIET_PASSES quiet_s < <(awk -v w="$FACT_SCROLL_STRIP_W" '$6 == "quiet-start" { t1 = $1; s1 = $3 }
    $6 == "quiet-end" { t2 = $1; s2 = $3 }
    END { if (t1 && t2 && t2 - t1 > 5) print (s2 - s1 + w) % w, t2 - t1 }' "$WORK/timeline") || true
  PASSES_PER_SECOND=
  [ -z "${quiet_s:-}" ] || PASSES_PER_SECOND=$(calc "$QUIET_PASSES / $quiet_s" %.2f)
  # Processor use inside each still scene, leaving out a second at either
  # end (between its first and last sightings where screenshots are too far
  # apart for that); the main scene's over its quiet middle.
  cpu() {
    awk -v s="$1" -v hz="$(getconf CLK_TCK)" '$2 == s && $5 != "-" { n++; t[n] = $4; c[n] = $5; m[n] = $6 }
      END {
        for (i = 1; i <= n; i++) if (t[i] >= t[1] + 1 && t[i] <= t[n] - 1) { if (!a) a = i; b = i }
        if (!(b > a)) { a = 1; b = n }
        for (i = 1; i <= n; i++) { if (m[i] == "quiet-start") a = i; if (m[i] == "quiet-end") b = i }
        if (a && b > a) printf "%.1f", 100 * (c[b] - c[a]) / hz / (t[b] - t[a]); else printf "?"
      }' "$WORK/timeline"
  }
  CPU_TITLE=$(cpu title); CPU_CREDITS=$(cpu credits); CPU_MAIN=$(cpu main); CPU_END=$(cpu end)
  printf 'display %s%s%s%s: title %.2f s, credits %.2f s (to the first main-scene frame), credits to end screen %.2f s, end screen %.2f s, sighting lag up to %.2f s, pace %s passes/s, exit %s\n' \
    "${RUN_SIZE:-1280x720}" "${RUN_WAY:+ on weston through $RUN_WAY}" "$([ "${RUN_WM:-0}" = 1 ] && echo ' with a window manager')" \
    "$([ "${RUN_HOGS:-0}" -gt 0 ] && echo ", ${RUN_HOGS} busy processes beside it")" \
    "$TITLE_S" "$CREDITS_S" "$CREDITS_TO_END_S" "$END_S" "$POLL" "${PASSES_PER_SECOND:-?}" "$RC"
  printf 'processor use (%% of one core): title %s, credits %s, main scene %s, end screen %s; passes: %s\n' \
    "$CPU_TITLE" "$CPU_CREDITS" "$CPU_MAIN" "$CPU_END" "$("$CHECK" routines)"
  within() { awk -v v="$1" -v lo="$2" -v hi="$3" -v p="$POLL" 'BEGIN { exit !(v >= lo - p && v <= hi + p) }'; }
  [ "$RC" = 0 ] || fail "exit status $RC"
  # Each wait lasts more than its limit and up to a second more; the main
  # scene's first frame follows the credits at once, and the end screen's
  # fade-out ends half a second after it is asked for.
  local t=$FACT_TITLE_SECONDS c=$FACT_CREDITS_SECONDS m=$FACT_MAIN_SCENE_SECONDS f=$FACT_END_FADE_AFTER_S
  within "$TITLE_S" "$t" $((t + 1)) || fail "title lasted $TITLE_S s"
  within "$CREDITS_S" "$c" "$((c + 1)).5" || fail "credits lasted $CREDITS_S s"
  within "$CREDITS_TO_END_S" "$m" $((m + 2)) || fail "the main scene ended $CREDITS_TO_END_S s after the credits appeared"
  within "$END_S" "$f" "$((f + 2)).2" || fail "the end screen lasted $END_S s"
  [ -n "${PASSES_PER_SECOND:-}" ] || fail "the pace was not measured"
  machine_busy
  [ "${RUN_PACE_BOUND:-1}" = 1 ] || return 0
  # 1000/13 = 76.92 passes per second, within 2 %: a quiet machine keeps it
  # within a few hundredths, while a lost pace costs whole passes a second.
  # On a busy machine that bound would measure the machine: the pace then
  # only has to be at least half of it, so a stuck or crawling scene fails.
  local lo=0.98
  [ -z "$BUSY" ] || { lo=0.5; echo "the machine was busy ($BUSY): the pace is bounded to half of $(calc "1000 / $FACT_FRAME_MS" %.2f) passes/s only"; }
  awk -v r="$PASSES_PER_SECOND" -v ms="$FACT_FRAME_MS" -v lo="$lo" 'BEGIN { p = 1000 / ms; exit !(r >= lo * p && r <= 1.02 * p) }' ||
    fail "the main scene ran $PASSES_PER_SECOND passes per second"
}

# Prints what else the machine did over the measured middle of the main scene
# and sets BUSY to the reasons it was too busy to hold a pace to 2 % (empty
# when it was quiet): the host took 2 % of its processors' time or more, 2 %
# or more of the probe's naps woke over a millisecond late, or the display
# server took half a frame's time or more per pass.
machine_busy() {
  BUSY=
  local steal0 total0 server0 steal1 total1 server1 naps late worst
  read -r steal0 total0 server0 <"$WORK/machine.start" && read -r steal1 total1 server1 <"$WORK/machine.end" &&
    read -r naps late worst <"$WORK/probe" || fail "the machine was not read over the main scene"
  local steal_pct late_pct server_ms
  steal_pct=$(calc "100 * ($steal1 - $steal0) / ($total1 - $total0)" %.1f)
  late_pct=$(calc "100 * $late / $naps" %.1f)
  server_ms=-
  [ "$server0" = - ] || [ "$server1" = - ] ||
    server_ms=$(calc "1000 * ($server1 - $server0) / $(getconf CLK_TCK) / ($QUIET_PASSES > 0 ? $QUIET_PASSES : 1)" %.1f)
  echo "machine over the measurement: the host took $steal_pct % of its processors' time, $late_pct % of $naps naps of a probe woke over 1 ms late (the latest $worst ms), the display server took $server_ms ms a pass"
  awk -v v="$steal_pct" 'BEGIN { exit !(v >= 2) }' && BUSY+="the host took $steal_pct %; "
  awk -v v="$late_pct" 'BEGIN { exit !(v >= 2) }' && BUSY+="naps woke late: $late_pct %; "
  [ "$server_ms" = - ] || ! awk -v v="$server_ms" -v ms="$FACT_FRAME_MS" 'BEGIN { exit !(v >= ms / 2) }' ||
    BUSY+="the display server took $server_ms ms a pass; "
  BUSY=${BUSY%; }
}

# After a whole run: its compositor (if any) and display go, its checks are
# forgotten, ready for the next.
end_whole_run() {
  [ -z "${RUN_WAY:-}" ] || stop_compositor
  stop_display
  rm -f "$WORK/checks.log"
}

# The processor-use targets per scene, in % of one core: a wait that naps
# costs next to nothing, a main-scene pass its drawing. The bound is 1.5 times
# each (room for a slower processor or the plain passes); a wait that spins,
# nearly a whole core, still fails by far.
IDLE_TARGETS="title=2 credits=2 main=10 end=3"
IDLE_ROOM=1.5

# Fails unless the processor use measured by whole_run stays within the bound.
expect_idle_when_idle() {
  awk -v t="$CPU_TITLE" -v c="$CPU_CREDITS" -v m="$CPU_MAIN" -v e="$CPU_END" -v targets="$IDLE_TARGETS" \
    -v room="$IDLE_ROOM" 'BEGIN {
      split(targets, pairs, " "); for (i in pairs) { split(pairs[i], kv, "="); bound[kv[1]] = kv[2] * room }
      used["title"] = t; used["credits"] = c; used["main"] = m; used["end"] = e
      for (s in used) if (used[s] == "?" || used[s] + 0 > bound[s]) exit 1
    }' ||
    fail "processor use above $IDLE_ROOM times the targets ($IDLE_TARGETS %): title $CPU_TITLE, credits $CPU_CREDITS, main $CPU_MAIN, end $CPU_END %"
}
