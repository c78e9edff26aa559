#!/usr/bin/env bash
# The worked example of "Publishing an update" (README): makes the key
# pair once, builds the agent package and the new setup, writes and signs
# the INFO file and checks everything before upload. Everything lands in
# build/update-example/; www/ is what goes onto the web server.
# Needs the native lumpack and the 32-bit stub: bash tools/build.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
here="$top/examples/update"
out="$top/build/update-example"
lumpack="$top/build/native/tools/lumpack/lumpack"
stub="$top/build/win/stub.exe"
mkdir -p "$out/www" "$here/keys"

# 1. Once per product: the key pair. The private key stays on the build
#    machine (mode 0600); the public key goes into the agent.
[ -e "$here/keys/tool.private.pem" ] || "$lumpack" keygen "$here/keys/tool"

# 2. The agent package (the product's setup installs it with Tool.original)
#    and the new setup.
"$lumpack" create "$here/agent.ini" -o "$out/ToolAgent.exe" --stub "$stub"
"$lumpack" create "$here/setup-v2.ini" -o "$out/www/ToolSetup-2.exe" --stub "$stub"

# 3. The INFO file: the author's copy, completed and signed by release.
cp "$here/Tool.info" "$out/www/Tool.info"
"$lumpack" release "$out/www/Tool.info" "$out/www/ToolSetup-2.exe" 2 \
    --key "$here/keys/tool.private.pem" --agent "$out/ToolAgent.exe"

# 4. Everything checked as the agent will check it.
"$lumpack" check "$out/www/Tool.info" --agent "$out/ToolAgent.exe"
echo "upload $out/www/ (ToolSetup-2.exe first, then Tool.info and Tool.info.sig)"
