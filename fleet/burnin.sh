#!/bin/sh
# A terminal's side of the fleet burn-in, run as root by
# fleet/burnin-start.yml and fleet/burnin-stop.yml:
#   burnin.sh start FOLDER REPEAT PAUSE_MS METRICS OPERATION...
#   burnin.sh stop FOLDER
# It prints one word, and a pid where there is one: started, running (one
# already runs, left as it is), stopped (sent SIGTERM), ended (it had already
# ended, with its exit status), gone (it ended without one: the terminal
# restarted, or it was killed) or none (none was started here).
#
# The pid file holds the burn-in's pid, the boot it started in and its start
# time in clock ticks after boot (field 22 of /proc/PID/stat). A pid alone
# names whatever process has it now, and once the burn-in has ended or the
# terminal has restarted that may be any process, signalled as root. Within
# one boot a pid goes to a new process only after the old one is gone, so the
# same pid with the same start time is the same process. This needs nothing
# but /proc, which every terminal has, Debian 11 ones and chroots included;
# a pidfd lasts only as long as a process holding it, and start and stop are
# separate runs, the control machine perhaps disconnected in between; a
# systemd unit needs a systemd running, which a chroot or container lacks.
set -u

# Field 2, the program's name, may hold spaces and ")": count from the last ")".
STARTTIME='starttime() { sed -n "s/.*) //p" "/proc/$1/stat" 2>/dev/null | cut -d" " -f20; }'
eval "$STARTTIME"

# True while the process in the pid file is still that burn-in; sets pid.
running() {
    pid='' boot='' start=''
    [ ! -e status ] && [ -f pid ] || return 1
    read -r pid boot start <pid
    case "$pid" in '' | *[!0-9]*) return 1 ;; esac
    [ -n "$start" ] && [ "$boot" = "$(cat /proc/sys/kernel/random/boot_id)" ] &&
        [ "$(starttime "$pid")" = "$start" ]
}

command=$1 folder=$2
shift 2
if ! cd "$folder" 2>/dev/null; then
    echo none
    exit 0
fi

case "$command" in
start)
    if running; then
        echo running "$pid"
        exit 0
    fi
    rm -f status pid
    # In a session of its own, so that it keeps running when the control
    # machine disconnects. The pid file is written while the burn-in cannot
    # yet have been reaped, so its /proc entry is there to read.
    setsid sh -c "$STARTTIME"'
        repeat=$1 pause=$2 metrics=$3
        shift 3
        cardreader-cli --json --repeat "$repeat" --pause "$pause" --metrics "$metrics" "$@" \
            >burnin.jsonl 2>burnin.err &
        echo "$! $(cat /proc/sys/kernel/random/boot_id) $(starttime $!)" >pid.new
        mv pid.new pid
        wait $!
        echo $? >status' burnin "$@" </dev/null >/dev/null 2>&1 &
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        [ -s pid ] && break
        sleep 0.5
    done
    read -r pid _ <pid || exit 1
    echo started "$pid"
    ;;
stop)
    if [ -e status ]; then
        echo ended
    elif [ ! -e pid ]; then
        echo none
    elif running; then
        kill -TERM "$pid" && echo stopped "$pid"
    else
        echo gone
    fi
    ;;
esac
