#include <QtWidgets/QWidget>
#  include <app/main_form.h>
#include "app/gui/localization.h"
#include "text/utf8.h"
