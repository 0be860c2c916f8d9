# The desktop program KV58.exe run under Wine as a user runs it, on the display that
# scripts/cross-test started, against the simulated transmitter on COM5; sourced by
# scripts/cross-test, whose variables and helpers it uses (build, work, wine, root, serial,
# pids, say, seconds_since, seconds_between, windows: kv58ctl.exe) with those of
# scripts/lib/xsession.sh.
#
# desktop_proof: the start-up read (timed), a screenshot of the main dialog into
# docs/windows-main-dialog.png, the next output signal chosen and written from the keyboard
# (timed), Escape with exit code 0, kv58ctl.exe reading back what was written and the backup
# entry; then a settings file with a 13-character password file name: its two messages, exit
# code 2. Sets first_read_started, first_read_done and desktop_write (seconds).

info_window='^KV58 Configurator: Information\.\.\.$'
message_box='^KV58$'

# A folder with KV58.exe, its data files and its KV58.ini naming COM5 without parity (Wine
# refuses parity on a pseudo-terminal); further sed expressions for KV58.ini may follow.
desktop_folder() {
  local folder=$1
  shift
  mkdir -p "$folder"
  cp "$build/bin/KV58.exe" "$build/bin/KV58-PW.TXT" "$build/bin/PATCH.TXT" "$folder/"
  sed -e 's/^Port=.*/Port=COM5/' -e 's/^Parity=.*/Parity=none/' "$@" "$build/bin/KV58.ini" \
    >"$folder/KV58.ini"
}

# Starts KV58.exe in the folder $1; its exit code lands in $1/exit-code.
start_desktop() {
  (cd "$1" && "$wine" KV58.exe >"$1/kv58.log" 2>&1; echo $? >"$1/exit-code") &
  pids+=($!)
}

# Waits (at most 30 s) for KV58.exe of the folder $1 to end; prints its exit code.
desktop_exit_code() {
  for _ in $(seq 300); do
    [ -s "$1/exit-code" ] && { cat "$1/exit-code"; return 0; }
    sleep 0.1
  done
  say "KV58.exe in $1 did not end"
  return 1
}

# Waits (at most $3 seconds) until no window matching $1 has been seen for $2 seconds; prints
# when one was last seen (nanoseconds).
last_seen() {
  local seen now
  seen=$(date +%s%N)
  for _ in $(seq $(($3 * 10))); do
    now=$(date +%s%N)
    if xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; then
      seen=$now
    elif [ $((now - seen)) -ge $(($2 * 1000000000)) ]; then
      echo "$seen"
      return 0
    fi
    sleep 0.1
  done
  say "window '$1' still there after $3 s"
  return 1
}

# Waits (at most 30 s) for a message box other than the window $1; prints its id.
next_message_box() {
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "$message_box" 2>/dev/null | grep -vx "$1" | tail -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  say "no message box after the window $1"
  return 1
}

desktop_write_by_keyboard() {
  local main=$1 box began seen
  # Alt+O: the label "&Output Signal:" hands the focus to its list; Down takes the next
  # item. Alt+P, N: Program > set new configuration.
  keys_to "$main" alt+o Down
  keys_to "$main" alt+p n
  box=$(wait_window "$message_box" 10) || return 1
  began=$(date +%s%N)
  keys_to "$box" Return  # Yes, the default button of "write new configuration?"
  wait_window "$info_window" 10 >/dev/null || return 1
  seen=$(last_seen "$info_window" 2 120) || return 1
  desktop_write=$(seconds_between "$began" "$seen")
  if xdotool search --onlyvisible --name "$message_box" >/dev/null 2>&1; then
    say "a message box is open after the write (see the screenshot in $work/after-write.png)"
    import -silent -window root "$work/after-write.png"
    return 1
  fi
}

desktop_refused_settings() {
  local folder="$work/refused" first second code
  desktop_folder "$folder" -e 's/^PW01=.*/PW01=PASSWORD1.TXT/'
  say "KV58.exe with a 13-character password file name in KV58.ini"
  start_desktop "$folder"
  first=$(next_message_box none) || return 1
  keys_to "$first" Return
  second=$(next_message_box "$first") || return 1
  keys_to "$second" Return
  code=$(desktop_exit_code "$folder") || return 1
  [ "$code" = 2 ] || { say "KV58.exe ended with $code after the refused settings, not 2"; return 1; }
  say "two messages, then exit code 2"
}

desktop_proof() {
  local folder="$work/desktop" began main code
  local title='^KV58 Configurator     V2\.08\.000   \(COM5,9600,8,1,n\)$'
  desktop_folder "$folder"
  say "KV58.exe with KV58.ini naming COM5"
  began=$(date +%s%N)
  start_desktop "$folder"
  wait_window "$info_window" 60 >/dev/null || return 1
  first_read_started=$(seconds_since "$began")
  main=$(wait_window "$title" 60) || return 1
  first_read_done=$(seconds_since "$began")
  wait_gone "$info_window" 10 || return 1
  shoot "$main" "$root/docs/windows-main-dialog.png"
  say "docs/windows-main-dialog.png: the main dialog after the first read"

  desktop_write_by_keyboard "$main" || return 1
  keys_to "$main" Escape
  code=$(desktop_exit_code "$folder") || return 1
  [ "$code" = 0 ] || { say "Escape ended KV58.exe with $code, not 0"; return 1; }
  say "wrote 0 - 5 V from the keyboard; Escape ended KV58.exe with 0"

  # The transmitter holds it, and the backup entry is there.
  windows --port COM5 read | tr -d '\r' | grep "^Output signal: *0 - 5 V\$" || {
    say "kv58ctl.exe reads no 0 - 5 V after the desktop program's write"
    return 1
  }
  local backup="$folder/backup/$serial.dat"
  [ -f "$backup" ] && [ "$(grep -c $'\r$' "$backup")" -eq 25 ] ||
    { say "no 25-line backup entry in $backup"; return 1; }
  desktop_refused_settings
}
