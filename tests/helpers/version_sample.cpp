// A program that carries nothing but its version information.
int main()
{
    return 0;
}
