#include "items/shape.h"
#include "util/textutil.h"
#  include   <print/pagescene.h>
