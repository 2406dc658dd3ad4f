main()
{
    x = 5
}
