#include "monitor/MonitorConfig.h"
