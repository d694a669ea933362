#include "Driver.h"

int main(int argc, char **argv)
{
    return clipmux::RunClipmux(argc, argv);
}
