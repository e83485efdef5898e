# No product string in this dump: the driver names it by its USB id.
