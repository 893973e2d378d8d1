#include "file_error.h"

#include <cerrno>
#include <cstring>

namespace zovex {

QString systemErrorNotice(int errnum)
{
    switch (errnum) {
    case ENOSPC:
        return QStringLiteral("磁盘空间不足");
    case EDQUOT:
        return QStringLiteral("超出了磁盘配额");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有权限");
    case EROFS:
        return QStringLiteral("磁盘是只读的");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("打开的文件太多");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长");
    case EIO:
        return QStringLiteral("输入/输出错误");
    case ENOENT:
        return QStringLiteral("文件或文件夹不存在");
    case ENOTDIR:
        return QStringLiteral("路径中有一项不是文件夹");
    case EISDIR:
        return QStringLiteral("这是一个文件夹");
    case EFBIG:
        return QStringLiteral("文件太大");
    case ENOMEM:
        return QStringLiteral("内存不足");
    case ELOOP:
        return QStringLiteral("链接层次太多");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("文件正在使用中");
    default:
        break;
    }
    return QString::fromLocal8Bit(std::strerror(errnum));
}

FileError FileError::system(int errnum)
{
    FileError e;
    e.m_errnum = errnum;
    return e;
}

FileError FileError::own(QString chinese, std::string english)
{
    FileError e;
    e.m_chinese = std::move(chinese);
    e.m_english = std::move(english);
    return e;
}

QString FileError::notice() const { return m_errnum != 0 ? systemErrorNotice(m_errnum) : m_chinese; }

std::string FileError::english() const { return m_errnum != 0 ? std::string(std::strerror(m_errnum)) : m_english; }

} // namespace zovex
