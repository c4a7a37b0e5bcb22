# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian mirror that this machine's apt uses, for a new Debian 12 made with debootstrap;
# sourced. Sets $mirror (MIRROR overrides it; Debian's own when apt names none) and $security
# (the security mirror, empty when apt names none).
urls=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
    2>/dev/null | grep -oE 'https?://[^[:space:]]+' || true)
mirror=${MIRROR:-$(grep -m1 -E '/debian/?$' <<<"$urls" || echo http://deb.debian.org/debian)}
security=$(grep -m1 -E '/debian-security/?$' <<<"$urls" || true)
unset urls
