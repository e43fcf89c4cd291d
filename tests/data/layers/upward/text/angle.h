#pragma once

#include <vector>
#include <app/main_form.h>
