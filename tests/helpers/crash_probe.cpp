// Writes through a null pointer: the test prefix must end such a program at
// once with a non-zero code instead of holding it in a crash debugger.
int main(int argc, char **)
{
    volatile int *volatile p = nullptr;
    *p = argc;
    return 0;
}
