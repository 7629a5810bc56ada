#!/bin/sh
# The VM's /init (busybox sh). Mounts proc, sys, devtmpfs and tmpfs on /run and /tmp, loads the
# HID modules in the order prepare.sh wrote to /etc/tov-modules, starts systemd-udevd when
# /tov/.udev exists (then triggers and waits for the coldplug events), runs /tov/.cmd with
# /bin/sh in /tov and prints its exit status, packs /out onto the console when /tov/.out exists,
# and powers the machine off. Every line for run.sh starts with "TOVVM:".
export PATH=/tov:/bin:/sbin:/usr/bin:/usr/sbin
export HOME=/root
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /dev/shm
echo 1 >/proc/sys/kernel/printk
ln -sf /proc/self/fd /dev/fd 2>/dev/null

say() { echo "TOVVM: $*"; }
finish() {
  say "exit $1"
  sync
  poweroff -f
  sleep 5
}

say "boot $(cut -d' ' -f1 /proc/uptime) s"
kver=$(uname -r)
while read -r m; do
  if ! insmod "/lib/modules/$kver/$m.ko"; then
    say "error: cannot load $m.ko"; dmesg | tail -20; finish 125
  fi
done </etc/tov-modules
[ -c /dev/uhid ] || { say "error: /dev/uhid is missing"; finish 125; }

if [ -e /tov/.udev ]; then
  /lib/systemd/systemd-udevd --daemon || { say "error: systemd-udevd did not start"; finish 125; }
  udevadm trigger --action=add >/dev/null 2>&1
  udevadm settle --timeout=60 || { say "error: udevadm settle timed out"; finish 125; }
  say "udevd running"
fi

cd /tov
say "begin $(cut -d' ' -f1 /proc/uptime) s"
/bin/sh /tov/.cmd </dev/null
rc=$?
say "end $(cut -d' ' -f1 /proc/uptime) s"
if [ "$rc" != 0 ]; then
  say "kernel log follows"
  dmesg | tail -60 | sed 's/^/TOVVM: dmesg: /'
fi
if [ -e /tov/.out ]; then
  say "out-begin"
  tar -C /out -cf - . | gzip -1 | base64
  say "out-end"
fi
finish "$rc"
