product = Trust Webcam
