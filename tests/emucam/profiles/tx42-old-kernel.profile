# The TX42 on an older kernel: relative pan and tilt report the speed range 1..max.
product = TELDORA TX42
manufacturer = TELDORA
serial = SN0001
units = simulated
speeds = old
