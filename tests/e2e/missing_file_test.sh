# A missing input: one message box captioned LORVANTE, Return closes it, the program exits 0.
source "$(dirname "$0")/x_session.sh"

start_program "$work/missing.des"
box=$(wait_window '^LORVANTE$')
[ "$(xdotool search --onlyvisible --name . | wc -l)" -ge 1 ] || fail "no window"
screenshot failure_box
press_until_gone "$box" Return
expect_exit 0
echo "ok: message box closed with Return, exit 0"
