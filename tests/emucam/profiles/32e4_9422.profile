product = H264 USB Camera
