/* Stands still and does nothing. */
main()
{
}
