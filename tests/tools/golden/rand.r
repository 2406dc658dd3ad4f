main() { drive(rand(100), rand(100)); drive(rand(0), 1); }
