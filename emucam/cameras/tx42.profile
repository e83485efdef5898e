# The TX42: its string descriptors, and its extension units answered by the
# simulated camera (state as VORQ_SIM takes it; empty: the default one).
product = TELDORA TX42
manufacturer = TELDORA
serial = SN0001
units = simulated
