#include "handler_guard.h"

#include "errors.h"

#include <new>

namespace zovex {

QString handlerFailureText(std::exception_ptr error)
{
    QString why;
    try {
        if (error)
            std::rethrow_exception(error);
        why = QStringLiteral("未知错误");
    } catch (const std::bad_alloc&) {
        why = QStringLiteral("内存不足，请关闭其他程序或减小尺寸后再试");
    } catch (const OverflowError&) {
        why = QStringLiteral("数值超出允许的范围");
    } catch (const TypeMismatch&) {
        why = QStringLiteral("输入的不是数字");
    } catch (const InvalidPropertyValue&) {
        why = QStringLiteral("属性值无效");
    } catch (const DivisionByZero&) {
        why = QStringLiteral("除数为零");
    } catch (const DialogCancelled&) {
        why = QStringLiteral("已取消");
    } catch (...) {
        why = QStringLiteral("内部错误");
    }
    return QStringLiteral("操作没有完成：%1。").arg(why);
}

} // namespace zovex
