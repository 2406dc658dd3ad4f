/* Code after a nested if stays inside the loop; i is pushed once, before it. */
main()
{
    while (i < 3) {
        if (i == 1) scan(i, 0);
        else cannon(i, 100);
        drive(i, 50);
        i++;
    }
    while (j < 2) j++;
    drive(i, j);
}
