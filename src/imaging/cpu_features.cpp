#include "imaging/imaging_paths.h"

bool Imaging_Path_Supported(Imaging_Path Path)
{
    switch (Path) {
    case IMAGING_PLAIN:
        return true;
#ifdef FIELDCAM_X86_KERNELS
    // The kernels are built with -msse2/-mssse3/-mavx2 file by file, so the rest of the program runs on
    // any x86-64; only these answers decide whether their instructions are ever reached.
    case IMAGING_SSE2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("sse2");
    case IMAGING_SSSE3:
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3");
    case IMAGING_AVX2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
#endif
    default:
        return false;
    }
}

static Imaging_Path Choose_Best_Path(void)
{
    for (int Path = IMAGING_PATH_COUNT - 1; Path > IMAGING_PLAIN; Path--)
        if (Imaging_Path_Supported((Imaging_Path)Path))
            return (Imaging_Path)Path;
    return IMAGING_PLAIN;
}

Imaging_Path Imaging_Best_Path(void)
{
    static const Imaging_Path Best = Choose_Best_Path();
    return Best;
}

const char *Imaging_Path_Name(Imaging_Path Path)
{
    static const char *const Names[IMAGING_PATH_COUNT] = {"plain", "sse2", "ssse3", "avx2"};
    return Path >= 0 && Path < IMAGING_PATH_COUNT ? Names[Path] : "unknown";
}
