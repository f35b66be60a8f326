// placeholder, replaced below
#include "script/vbs/StdObjects.h"
namespace vk::vbs {
Ref<Object> makeRegExp() { raise(err::CantCreateObject); }
}
