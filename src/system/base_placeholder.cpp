namespace KvSystem {}
