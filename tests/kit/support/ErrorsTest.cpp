#include <Errors.h>
#include <SupportDefs.h>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(ErrorsTest, ErrnoValuesMapOntoKitCodes)
{
    struct Case
    {
        int err;
        status_t status;
    };
    const Case cases[] = {
        {0, B_OK},
        {ENOENT, B_ENTRY_NOT_FOUND},
        {EACCES, B_PERMISSION_DENIED},
        {EEXIST, B_FILE_EXISTS},
        {ENOTDIR, B_NOT_A_DIRECTORY},
        {EISDIR, B_IS_A_DIRECTORY},
        {ENOMEM, B_NO_MEMORY},
        {EINVAL, B_BAD_VALUE},
        {ENOSPC, B_DEVICE_FULL},
        {ENOTSUP, B_NOT_SUPPORTED},
        {ENAMETOOLONG, B_NAME_TOO_LONG},
        {ELOOP, B_LINK_LIMIT},
        {EDOM, B_POSIX_ERROR_BASE + EDOM},
    };
    for (const Case& c : cases)
        EXPECT_EQ(status_from_errno(c.err), c.status) << c.err;
}

TEST(ErrorsTest, UnknownErrnoValuesStayDistinct)
{
    EXPECT_NE(status_from_errno(EDOM), status_from_errno(ENOEXEC));
    EXPECT_LT(status_from_errno(ENOEXEC), 0);
}

} // namespace
