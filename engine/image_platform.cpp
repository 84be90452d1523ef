#include "image_platform.h"

namespace {

HMODULE ProgramModule()
{
    return GetModuleHandleW(nullptr);
}

const ImagePlatform kReal = {
    ::GetModuleFileNameW, ::CreateFileW, ::GetFileSize, ::ReadFile, ::CloseHandle,
    ::FindResourceW, ::SizeofResource, ::LoadResource, ::LockResource,
    ProgramModule,
};

ImagePlatform g_calls = kReal;

} // namespace

ImagePlatform& ImageCalls()
{
    return g_calls;
}

const ImagePlatform& RealImageCalls()
{
    return kReal;
}
