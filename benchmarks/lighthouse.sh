#!/usr/bin/env bash
# Audits the served folder as the web's own tools audit a page: Lighthouse
# from npm, with Debian's Chromium, as a phone and as a desktop, and prints
# each category's score. Needs Node 20 or later and the network the first
# time (npx keeps lighthouse in its cache); not part of the tests, which keep
# to Debian's packages. Usage: benchmarks/lighthouse.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}

scripts/build-web.sh >/dev/null 2>&1
work=$(mktemp -d)
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/bin/python3 -m http.server --bind 127.0.0.1 --directory build/web/web/served "$port" \
    >/dev/null 2>&1 &
server=$!
trap 'kill $server; rm -rf "$work"' EXIT
sleep 1

export CHROME_PATH=/usr/bin/chromium
for form in phone desktop; do
    preset=()
    [ "$form" = desktop ] && preset=(--preset=desktop)
    # The median of a few runs: performance varies on a shared machine.
    for run in $(seq "$runs"); do
        npx --yes lighthouse@12.2.3 "http://127.0.0.1:$port/" "${preset[@]}" --quiet \
            --chrome-flags="--headless=new --no-sandbox" --output=json \
            --output-path="$work/$form-$run.json" >/dev/null
    done
    /usr/bin/python3 - "$form" "$work"/"$form"-*.json <<'PYTHON'
import json, statistics, sys
reports = [json.load(open(path)) for path in sys.argv[2:]]
scores, short = {}, set()
for report in reports:
    for category in report["categories"].values():
        scores.setdefault(category["title"], []).append(round(category["score"] * 100))
    short |= {audit["title"] for audit in report["audits"].values()
              if audit.get("score") is not None and audit["score"] < 1}
for title in sorted(short):
    print(f"  {sys.argv[1]}, below full marks: {title}", file=sys.stderr)
print(f"row: Lighthouse, {sys.argv[1]} | " + ", ".join(
    f"{title} {statistics.median(values):.0f}" for title, values in scores.items())
    + " | 100 each (performance 95)")
PYTHON
done
