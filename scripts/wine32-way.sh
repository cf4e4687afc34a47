# Sourced by scripts that run 32-bit Wine: wine32_way prints how this
# machine starts 32-bit processes: "native" (the kernel itself), "emulated
# by INTERPRETER" (a binfmt_misc handler that takes 32-bit x86 ELF files,
# such as qemu's user-mode emulator that ../shared/tools/wine32-qemu.sh
# registers: correct, but no timing figure), or "none".
wine32_way() {
  local entry
  /usr/lib/wine/wine --version >/dev/null 2>&1 || { echo none; return; }
  if [ "$(cat /proc/sys/fs/binfmt_misc/status 2>/dev/null)" = enabled ]; then
    for entry in /proc/sys/fs/binfmt_misc/*; do
      case "$(basename "$entry")" in register | status) continue ;; esac
      if head -1 "$entry" 2>/dev/null | grep -qx enabled &&
        grep -q '^magic 7f454c4601010100000000000000000002000300' "$entry"; then
        echo "emulated by $(sed -n 's/^interpreter //p' "$entry")"
        return
      fi
    done
  fi
  echo native
}
