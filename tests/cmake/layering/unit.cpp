int layeringCheckUnit = 0;
