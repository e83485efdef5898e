product = HD video
