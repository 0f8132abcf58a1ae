#!/usr/bin/env bash
# Installs Wine's 32-bit loader (wine32:i386) for the 32-bit Windows program.
# Exits 0 once it is installed, 1 when it cannot be.
#
# A mirror has served an i386 security index of the wrong size for days (an old
# one, from before the amd64 libraries installed here). Then the i386 libraries
# come from the main suite alone, and each amd64 library that is installed at a
# security version gets its i386 twin of that same version straight from the
# security pool, through a local repository: multi-arch libraries must agree in
# version across the two architectures. The apt configuration is put back after.
set -uo pipefail
export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
for attempt in 1 2; do
  if apt-get update && apt-get install -y wine32:i386; then exit 0; fi
  echo "wine32:i386 not installed (attempt $attempt)"
  [ $attempt -lt 2 ] && sleep 30
done

echo "== wine32:i386 without the mirror's i386 security index =="
sources=/etc/apt/sources.list.d/debian.sources
pin=/etc/apt/preferences.d/calor2d-security-low
list=/etc/apt/sources.list.d/calor2d-i386.list
repo=/var/local/calor2d-i386
[ -f "$sources" ] || { echo "no $sources: cannot restrict the security suite"; exit 1; }
cp "$sources" "$sources.calor2d"
restore() { mv -f "$sources.calor2d" "$sources"; rm -f "$pin" "$list"; apt-get update >/dev/null 2>&1 || true; }
trap restore EXIT

# The security suite for amd64 only, and below the main suite, so that both
# architectures take the main suite's versions wherever it has them.
/usr/bin/python3 - "$sources" <<'EOF'
import sys
path = sys.argv[1]
blocks = open(path).read().split('\n\n')
out = []
for b in blocks:
    if 'debian-security' in b and 'Architectures:' not in b:
        b = b.rstrip('\n') + '\nArchitectures: amd64'
    out.append(b)
open(path, 'w').write('\n\n'.join(out).rstrip('\n') + '\n')
EOF
printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' > "$pin"
apt-get update || true
dpkg -s dpkg-dev >/dev/null 2>&1 || apt-get install -y dpkg-dev || exit 1

index=$(apt-get indextargets --format '$(FILENAME)' 'Created-By: Packages' 'Architecture: amd64' \
        'Label: Debian-Security' | head -n 1)
[ -n "$index" ] || { echo "no amd64 security index"; exit 1; }
rm -rf "$repo" && mkdir -p "$repo"
dpkg-query -W -f='${Package} ${Architecture} ${Version} ${Multi-Arch}\n' >"$repo/installed"
/usr/lib/apt/apt-helper cat-file "$index" | /usr/bin/python3 -c '
import sys
installed = set()
for line in open(sys.argv[1]):
    f = line.split()
    if len(f) == 4 and f[1] == "amd64" and f[3] == "same":
        installed.add((f[0], f[2]))
entry = {}
for line in list(sys.stdin) + [""]:
    line = line.rstrip("\n")
    if line and not line[0].isspace():
        key, _, value = line.partition(": ")
        entry[key] = value
    elif not line:
        if (entry.get("Package"), entry.get("Version")) in installed:
            print(entry["Filename"].replace("_amd64.deb", "_i386.deb"))
        entry = {}
' "$repo/installed" >"$repo/wanted"
echo "$(wc -l <"$repo/wanted") i386 libraries from the security pool"
base=$(apt-get indextargets --format '$(REPO_URI)' 'Label: Debian-Security' | head -n 1)
while read -r file; do
  /usr/lib/apt/apt-helper download-file "$base$file" "$repo/${file##*/}" >/dev/null || { echo "missing: $base$file"; exit 1; }
done <"$repo/wanted"
(cd "$repo" && dpkg-scanpackages -m . /dev/null >Packages 2>/dev/null)
echo "deb [trusted=yes] file:$repo ./" >"$list"
apt-get update || true
apt-get install -y wine32:i386
