#include "vcf/hts_handles.h"

#include <htslib/hts_log.h>

void silence_htslib() { hts_set_log_level(HTS_LOG_OFF); }
