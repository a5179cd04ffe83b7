"""What the accessibility tests share: the hosts the lab expects to answer,
and waiting for the dialog on the accessibility bus."""
import ipaddress
import os
import time


def lab_hosts():
    """(ip, MAC text) of every machine expected to answer, newest row first."""
    env = os.environ
    ips = env.get("ORVANE_LAB_HOST_IPS", "").split() + [env.get("ORVANE_LAB_CLIENT_IP", "")]
    macs = env.get("ORVANE_LAB_HOST_MACS", "").split() + [env.get("ORVANE_LAB_CLIENT_MAC", "")]
    rows = [(ip, mac.upper().replace(":", "-")) for ip, mac in zip(ips, macs) if ip and mac]
    return sorted(rows, key=lambda row: ipaddress.IPv4Address(row[0]), reverse=True)


def poll(condition, limit=30.0):
    """Waits for `condition` (a screen reader waits for events; here the
    state is read again every 50 ms); returns its last value."""
    end = time.monotonic() + limit
    while True:
        value = condition()
        if value or time.monotonic() > end:
            return value
        time.sleep(0.05)


def find_app(name):
    # Imported on use: the Orca test imports it only on the session bus it
    # makes for itself.
    import pyatspi

    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == name:
            return app
    return None
