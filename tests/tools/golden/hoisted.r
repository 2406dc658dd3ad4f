/* Regression: the else branch's declaration of b was refused as a redefinition.
   Names declared in an unbraced if or while body get one slot each, before the
   statement, however often the statement declares them. */
main()
{
    if (damage() > 10)
        int b;
    else
        int b;
    b = 4;
    while (0) int w, w;
    drive(b, w);
}
