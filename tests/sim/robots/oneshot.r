/* Fires one shell 300 units along +x as soon as the cannon is loaded, then sits. */
main()
{
    while (cannon(0, 300) == 0) ;
}
