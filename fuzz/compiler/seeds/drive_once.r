main(){drive(90,50);}
