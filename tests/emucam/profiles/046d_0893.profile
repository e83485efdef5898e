product = Logitech StreamCam
