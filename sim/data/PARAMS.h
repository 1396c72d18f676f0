// PARAMS.h - Flamora pellet burner, firmware 1.506
// Addresses of the parameters in the burner's non-volatile memory.
// One parameter per address; 16-bit and 32-bit values are stored low byte
// first and also take the next one or three addresses. Addresses 0 and 1
// hold the firmware version and are read only.
#ifndef PARAMS_H
#define PARAMS_H

// Identification
#define FEATURES                2     // feature bits: 1 = O2 sensor, 2 = flame sensor
#define DEVICE_TYPE             3     // device type, 100 = Flamora pellet burner

// Main parameters (the burner window's set)
#define FUELFEED_TEMP           4     // flue gas target temperature in RUN mode, C
#define GRATE_UPTIME            6     // grate motor run time upwards, s
#define HEATER_TIME             8     // startup heater on-time after warm-up, s
#define FUEL_TIME_FIRST         10    // first fuel feed of a startup, s
#define FUEL_TIME_SECOND        12    // second fuel feed of a startup, s
#define FUEL_TIME_RUN           14    // fuel feed time in RUN mode, 0.1 s
#define IR_TRIG_LEVEL           16    // flame signal that ends a startup
#define FUEL_TIME_PAUSE         18    // pause between feeds in RUN mode, 0.1 s
#define GRATE_DOWNTIME          20    // grate motor run time downwards, s
#define FUEL_RAMP_TEMP          22    // flue gas temperature that starts the second feed, C
#define VFD_RUN                 24    // fan drive in RUN mode, 0-100 %
#define VFD_START               25    // fan drive during startup, 0-100 %
#define WATER_SETPOINT          26    // boiler water setpoint, C (0 = burner off)
#define WATER_HYSTERESIS        27    // boiler water hysteresis, C
#define VFD_IDLE                28    // fan drive in IDLE mode, 0-100 %
#define VFD_OFF                 29    // fan drive in OFF mode, 0-100 %
#define FUEL_TIME_IDLE          30    // fuel feed time in IDLE mode, 0.1 s
#define FUEL_PAUSE_IDLE         32    // pause between feeds in IDLE mode, 0.1 s
#define FUELFEED_TEMP_IDLE      34    // flue gas target temperature in IDLE mode, C

// Combustion
#define LAMBDA_SETPOINT         36    // flue gas O2 target, 0.1 %
#define LAMBDA_GAIN             37    // fan correction per % of O2 deviation, 0.1 %
#define LAMBDA_VFD_MIN          38    // lowest fan drive the O2 trim may use, %
#define LAMBDA_VFD_MAX          39    // highest fan drive the O2 trim may use, %
#define LAMBDA_ENABLE           40    // O2 trim of the fan drive: 0 = off, 1 = on
#define LAMBDA_CAL_O2           41    // O2 content of air used by the calibration, 0.1 %
#define IGNITION_RETRIES        42    // startups tried before the error state
#define STARTUP_TIMEOUT         43    // minutes a startup may take before it fails
#define CLEAN_INTERVAL          44    // minutes of burning between cleanings, 0 = never
#define CLEAN_FAN_TIME          46    // fan blow time of a cleaning, s
#define CLEAN_FAN_VFD           47    // fan drive during a cleaning, %
#define FLAME_LOST_LEVEL        48    // flame signal below which the flame counts as lost
#define FLAME_LOST_TIME         50    // seconds of low flame signal before a restart
#define IDLE_MAX_TIME           51    // minutes in IDLE before the burner goes OFF
#define POST_PURGE_TIME         52    // fan run-on after the flame has gone, s
#define ERROR_RETRY_TIME        53    // minutes in the error state before a new try, 0 = stay

// Limits
#define HEATER_MAX_TEMP         54    // startup heater cut-out temperature, C
#define GAS_TEMP_MAX            56    // flue gas temperature that stops the fuel feed, C
#define GAS_TEMP_ALARM          58    // flue gas temperature alarm, C
#define WATER_MAX_TEMP          60    // boiler overheat limit, C
#define WATER_MIN_TEMP          61    // frost protection limit, C
#define PUMP_START_TEMP         62    // boiler pump on above this water temperature, C
#define PUMP_STOP_TEMP          63    // boiler pump off below this water temperature, C

// Fuel and timing
#define AUGER_RATE              64    // auger feed rate, 0.1 g/s
#define FUEL_HEAT_VALUE         65    // fuel heat value, 0.1 kWh/kg
#define IGNITION_SPARK_TIME     66    // igniter spark time of a startup, s
#define HEATER_PREHEAT          67    // heater preheat before the first feed, s
#define RUNINIT_TIME            68    // length of the RUN init state, s
#define IDLE_RUN_TIME           69    // length of each IDLE to RUN step, s
#define FEED_TEMP_GAIN          70    // feed pause correction per 10 C flue gas deviation, %

// Panel and service
#define DISPLAY_CONTRAST        72    // display contrast, 0-63
#define DISPLAY_LANGUAGE        73    // display language: 0 = English, 1 = Finnish
#define MODBUS_ADDRESS          74    // bus address of the burner
#define SERIAL_SPEED            75    // service port speed: 0 = 9600, 1 = 38400, 2 = 76800
#define IR_FILTER               76    // flame signal filter length, samples
#define TGAS_OFFSET             77    // flue gas sensor offset, 128 = 0 C
#define TWATER_OFFSET           78    // water sensor offset, 128 = 0.0 C
#define THEATER_OFFSET          79    // heater thermocouple offset, 128 = 0 C
#define ERROR_LAST              96    // last error: 1 = no ignition, 2 = flame lost, 3 = overheat
#define ERROR_COUNT             97    // errors since the counters were cleared
#define START_COUNT             98    // startups since manufacture
#define CLEAN_COUNT             100   // cleanings since manufacture
#define SERIAL_NUMBER           104   // serial number of the burner
#define PRODUCTION_WEEK         106   // production week
#define PRODUCTION_YEAR         107   // production year - 2000

// Usage counters, 32 bits, minutes
#define USAGE_POWER_ON          1600  // power-on time, min
#define USAGE_STARTUP           1604  // time in startup, min
#define USAGE_RUN               1608  // time in RUN mode, min
#define USAGE_IDLE              1612  // time in IDLE mode, min
#define USAGE_OFF               1616  // time in OFF mode, min

// Histogram, 16-bit words 1696..1939
#define HIST_IR_STARTUP         1696  // average flame signal at the end of startups, 0.1
#define HIST_IR_RUN             1698  // average flame signal in RUN mode, 0.1
#define HIST_TGAS_FIRST         1700  // minutes with flue gas at 200-204 C; one word per 5 C
#define HIST_TGAS_LAST          1938  // minutes with flue gas at 795 C or above

#endif // PARAMS_H
