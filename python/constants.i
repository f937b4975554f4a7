// The global-variable object `cvar` and the module's integer constants, in the
// order the module stores them.

%immutable;
int FID_LEN;
%mutable;

%constant int FidHash_bucket_size = FidHash::bucket_size;
%constant int FidHash_min_buckets = FidHash::min_buckets;
%constant int DVIR_ENDIAN_LITTLE = DVIR_ENDIAN_LITTLE;
%constant int DVIR_ENDIAN_BIG = DVIR_ENDIAN_BIG;
%constant int DVIR_ENDIAN_NATIVE = DVIR_ENDIAN_NATIVE;
%constant int FIXED_IDF_ALG_DROP = FIXED_IDF_ALG_DROP;
%constant int FIXED_IDF_ALG_FLATLINE = FIXED_IDF_ALG_FLATLINE;
%constant int FIXED_IDF_ALG_IGNORE = FIXED_IDF_ALG_IGNORE;
%constant int FEATURE_DVECS_FILE_FORMAT_BINARY = FEATURE_DVECS_FILE_FORMAT_BINARY;
%constant int FEATURE_DVECS_FILE_FORMAT_SGT_MAPPED = FEATURE_DVECS_FILE_FORMAT_SGT_MAPPED;
%constant int CLASSIFIER_CLUSTERING_ALG_KNN_ASSIGNMENT = CLASSIFIER_CLUSTERING_ALG_KNN_ASSIGNMENT;
%constant int CLASSIFIER_CLUSTERING_ALG_GRAPH = CLASSIFIER_CLUSTERING_ALG_GRAPH;
%constant int CLASSIFIER_CLUSTERING_ALG_KMEANS = CLASSIFIER_CLUSTERING_ALG_KMEANS;
%constant int PYTH_2_PLATFORM_POWER_STATUS_ERR = PYTH_2_PLATFORM_POWER_STATUS_ERR;
%constant int PYTH_2_PLATFORM_POWER_STATUS_LINE = PYTH_2_PLATFORM_POWER_STATUS_LINE;
%constant int PYTH_2_PLATFORM_POWER_STATUS_BATTERY = PYTH_2_PLATFORM_POWER_STATUS_BATTERY;
%constant int PYTH_2_PLATFORM_POWER_STATUS_BATTERY_LOW = PYTH_2_PLATFORM_POWER_STATUS_BATTERY_LOW;
%constant int PYTH_2_PLATFORM_THREAD_PRIORITY_HIGH = PYTH_2_PLATFORM_THREAD_PRIORITY_HIGH;
%constant int PYTH_2_PLATFORM_THREAD_PRIORITY_NORMAL = PYTH_2_PLATFORM_THREAD_PRIORITY_NORMAL;
%constant int PYTH_2_PLATFORM_THREAD_PRIORITY_LOW = PYTH_2_PLATFORM_THREAD_PRIORITY_LOW;
%constant int PYTH_2_PLATFORM_THREAD_PRIORITY_VERY_LOW = PYTH_2_PLATFORM_THREAD_PRIORITY_VERY_LOW;
%constant int Pyth2Platform_NOMSG = Pyth2Platform::NOMSG;
%constant int Pyth2Platform_QUITMSG = Pyth2Platform::QUITMSG;
%constant int Pyth2Platform_PAUSEMSG = Pyth2Platform::PAUSEMSG;
%constant int Pyth2Platform_RESUMEMSG = Pyth2Platform::RESUMEMSG;
%constant int Pyth2Platform_IMMSGINQUEUE = Pyth2Platform::IMMSGINQUEUE;
%constant int CPyth2Skype_NOERR = 0;
%constant int CPyth2Skype_ERR_NODLL = 1;
%constant int CPyth2Skype_ERR_NOADAPTER = 2;
%constant int CPyth2Skype_ERR_NOMEM = 3;
%constant int CPyth2Skype_ERR_NOCONNECT = 4;
%constant int CPyth2Skype_ERR_NODISCONNECT = 5;
%constant int CPyth2Skype_ERR_NOENUMGROUPS = 6;
%constant int CPyth2Skype_ERR_NOENUMUSERS = 7;
%constant int CPyth2Skype_ERR_SKYPETIMEOUT_ENABLED = 8;
%constant int CPyth2Skype_NOCHAT = 0;
%constant int CPyth2Skype_CHATSEND = 1;
%constant int CPyth2Skype_CHATRECV = 2;
%constant int CPyth2Skype_CHATALL = 3;
%constant int CPyth2Skype_NOMSG = 0;
%constant int CPyth2Skype_QUITMSG = 1;
%constant int CPyth2Skype_IMMSGINQUEUE = 2;
